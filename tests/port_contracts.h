// What the registry and shell link ports promise to the steps, checked against the fakes
// (native tests) and against the Win32 implementations (Wine tests), so the two stay alike.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell_links.h"

namespace tf {
namespace contract {

inline std::string upperText(const std::string& s) {
  std::string u;
  for (unsigned char c : s) u += (char)upperCp1252(c);
  return u;
}

// `base`: a machine key path that does not exist yet; everything made below it is removed.
inline void registryValues(Registry& reg, const std::string& base) {
  const std::string path = base + "\\Configuración\\TurnaliaFree.exe";
  ASSERT_EQ(reg.open(RegistryRoot::LocalMachine, path, RegistryAccess::Read), nullptr);
  {
    auto key = reg.create(RegistryRoot::LocalMachine, path);
    ASSERT_NE(key, nullptr);
    key->writeString("DisplayName", "TurnaliaFree™ - Gestión de Turnos y Control de Presencia");
    key->writeExpandString("Path", "%SystemRoot%\\system32;C:\\Program Files\\TurnaliaFree\\Utils");
    key->writeNumber("NoModify", 1);
    key->writeString("Vacío", "");
    // A stored string rewritten as expandable changes its type.
    key->writeString("Cambia", "%TEMP%");
    key->writeExpandString("Cambia", "%TEMP%;C:\\Utils");
  }
  struct Case {
    const char* name;
    RegistryType type;
    const char* text;
  } cases[] = {
      {"DisplayName", RegistryType::String, "TurnaliaFree™ - Gestión de Turnos y Control de Presencia"},
      {"path", RegistryType::ExpandString, "%SystemRoot%\\system32;C:\\Program Files\\TurnaliaFree\\Utils"},
      {"Vacío", RegistryType::String, ""},
      {"Cambia", RegistryType::ExpandString, "%TEMP%;C:\\Utils"},
      {"Falta", RegistryType::None, ""},
  };
  auto key = reg.open(RegistryRoot::LocalMachine, path, RegistryAccess::Read);
  ASSERT_NE(key, nullptr);
  for (const Case& c : cases) {
    RegistryValue v = key->read(c.name);
    EXPECT_EQ(v.type, c.type) << c.name;
    EXPECT_EQ(v.text, c.text) << c.name;
    EXPECT_TRUE(v.exact) << c.name;
  }
  RegistryValue n = key->read("NoModify");
  EXPECT_EQ(n.type, RegistryType::Number);
  EXPECT_EQ(n.number, 1u);
  // A key opened for reading refuses writes with an error that has something to show.
  try {
    key->writeString("DisplayName", "otro");
    ADD_FAILURE() << "write through a read-only key did not fail";
  } catch (const Error& e) {
    EXPECT_STRNE(e.what(), "");
  }
  EXPECT_EQ(key->read("DisplayName").text, "TurnaliaFree™ - Gestión de Turnos y Control de Presencia");
}

// Listing and deleting, as the installed-programs test and the uninstaller use them.
inline void registrySubkeys(Registry& reg, const std::string& base) {
  const std::string root = base + "\\Configuración";
  ASSERT_NE(reg.create(RegistryRoot::LocalMachine, root + "\\TurnaliaFree.exe"), nullptr);
  ASSERT_NE(reg.create(RegistryRoot::LocalMachine, root + "\\Con Hijos\\Hijo"), nullptr);
  reg.create(RegistryRoot::LocalMachine, root + "\\TurnaliaFree.exe")->writeNumber("NoRepair", 1);

  auto parent = reg.open(RegistryRoot::LocalMachine, root, RegistryAccess::Read);
  ASSERT_NE(parent, nullptr);
  std::vector<std::string> names;
  ASSERT_TRUE(parent->subkeyNames(names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Con Hijos", "TurnaliaFree.exe"}));
  // The steps look names up without regard to case; accents survive the listing.
  auto top = reg.open(RegistryRoot::LocalMachine, base, RegistryAccess::Read);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(top->subkeyNames(names));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(upperText(names[0]), "CONFIGURACIÓN");

  auto writable = reg.open(RegistryRoot::LocalMachine, root, RegistryAccess::Write);
  ASSERT_NE(writable, nullptr);
  EXPECT_THROW(writable->read("Path"), Error) << "an unreadable value passed for a missing one";
  EXPECT_FALSE(writable->deleteSubkey("Con Hijos"));  // has a subkey of its own
  EXPECT_NE(reg.open(RegistryRoot::LocalMachine, root + "\\Con Hijos\\Hijo", RegistryAccess::Read), nullptr);
  EXPECT_TRUE(writable->deleteSubkey("turnaliafree.EXE"));  // values but no subkeys
  EXPECT_EQ(reg.open(RegistryRoot::LocalMachine, root + "\\TurnaliaFree.exe", RegistryAccess::Read), nullptr);
  EXPECT_FALSE(writable->deleteSubkey("TurnaliaFree.exe"));  // already gone
  EXPECT_FALSE(writable->deleteSubkey(""));
}

// Removes what the registry contracts made below `base`, deepest first.
inline void registryCleanUp(Registry& reg, const std::string& base) {
  const char* chain[] = {"Configuración\\Con Hijos\\Hijo", "Configuración\\Con Hijos",
                         "Configuración\\TurnaliaFree.exe", "Configuración", ""};
  for (const char* rel : chain) {
    std::string path = base + (*rel ? std::string("\\") + rel : std::string());
    size_t cut = path.find_last_of('\\');
    auto parent = reg.open(RegistryRoot::LocalMachine, path.substr(0, cut), RegistryAccess::Write);
    if (parent) parent->deleteSubkey(path.substr(cut + 1));
  }
}

// `folder`: a folder that does not exist yet, whose parent does.
inline void shellLinks(ShellLinks& links, Files& files, const std::string& folder) {
  ShellLink a;
  a.target = folder + "\\TurnaliaFree\\uninstall.exe";
  a.workingFolder = folder + "\\TurnaliaFree\\";
  a.description = "Desinstalar";
  a.iconFile = a.target;
  EXPECT_FALSE(links.save(folder + "\\Desinstalar.lnk", a)) << "saved into a missing folder";
  ASSERT_TRUE(files.createFolders(folder + "\\TurnaliaFree"));
  ASSERT_TRUE(files.writeFile(a.target, "MZ"));

  // Show commands are stored raw (1 normal, 3 maximised, 7 minimised).
  struct Case {
    const char* name;
    const char* description;
    const char* arguments;
    int icon, show;
    uint16_t hotKey;
  } cases[] = {
      {"Desinstalar", "Desinstalar", "", 0, 1, 0},
      {"Configuración de turnos", "Configuración de turnos", "kvt", 2, 3, 0},
      {"Minimizado", "Software Ticador", "-silent", 0, 7, 0x0654},
  };
  for (const Case& c : cases) {
    ShellLink in = a;
    in.description = c.description;
    in.arguments = c.arguments;
    in.iconIndex = c.icon;
    in.showCommand = c.show;
    in.hotKey = c.hotKey;
    std::string file = folder + "\\" + c.name + ".lnk";
    ASSERT_TRUE(links.save(file, in)) << file;
    EXPECT_TRUE(files.fileExists(file)) << file;
    ShellLink out;
    ASSERT_TRUE(links.load(file, out)) << file;
    EXPECT_EQ(upperText(out.target), upperText(in.target)) << file;
    EXPECT_EQ(out.workingFolder, in.workingFolder) << file;
    EXPECT_EQ(out.description, in.description) << file;
    EXPECT_EQ(out.arguments, in.arguments) << file;
    EXPECT_EQ(upperText(out.iconFile), upperText(in.iconFile)) << file;
    EXPECT_EQ(out.iconIndex, in.iconIndex) << file;
    EXPECT_EQ(out.showCommand, in.showCommand) << file;
    EXPECT_EQ(out.hotKey, in.hotKey) << file;
  }

  // An existing link of the same name is replaced.
  ShellLink b = a;
  b.description = "Otra descripción";
  ASSERT_TRUE(links.save(folder + "\\Desinstalar.lnk", b));
  ShellLink out;
  ASSERT_TRUE(links.load(folder + "\\Desinstalar.lnk", out));
  EXPECT_EQ(out.description, "Otra descripción");

  // The target need not exist.
  ShellLink missing = a;
  missing.target = folder + "\\TurnaliaFree\\kvt_ticador.exe";
  EXPECT_TRUE(links.save(folder + "\\Software Ticador.lnk", missing));

  // A name that would not fit the object's buffer is refused and nothing is written.
  std::string longName = folder + "\\" + std::string(kMaxLinkFileName, 'x');
  longName.resize(kMaxLinkFileName - 4);
  longName += ".lnk";
  std::string tooLong = longName.substr(0, longName.size() - 4) + "y.lnk";
  EXPECT_TRUE(links.save(longName, a)) << "the longest allowed name";
  EXPECT_FALSE(links.save(tooLong, a));
  EXPECT_FALSE(files.fileExists(tooLong));
  EXPECT_FALSE(links.load(folder + "\\No existe.lnk", out));
}

}  // namespace contract
}  // namespace tf
