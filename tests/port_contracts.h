// What the OS ports promise to the steps, checked against the fakes (native tests) and against
// the Win32 implementations (Wine tests), so a fake cannot drift from what Windows does.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ports.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/shell_links.h"

namespace tf {
namespace contract {

inline std::string upperText(const std::string& s) {
  std::string u;
  for (unsigned char c : s) u += (char)upperCp1252(c);
  return u;
}

// True when `path` is a full path whose last part is `name`, in any letter case.
inline bool namesFile(const std::string& path, const std::string& name) {
  return path.size() > name.size() + 3 &&
         upperText(path.substr(path.size() - name.size() - 1)) == upperText("\\" + name);
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


// What only the machine itself can make: a link entry to a folder, and a file whose system name
// Windows-1252 cannot hold ("Łódź.txt", listed as "?ód?.txt").
struct FilesMachine {
  std::function<bool(const std::string& target, const std::string& link)> makeLink;
  std::function<bool(const std::string& folder)> putForeignFile;
};

// `root`: a folder that does not exist yet, whose parent does. Each row runs in order on what the
// rows before it left.
// Where Wine 8 as run here and Windows part, there is no row: Windows refuses to write a
// read-only file, so also to replace it by a copy, a move or a new file (Wine does all three), and
// gives a copy the read-only bit of its source (Wine does not); it removes a link alone (Wine
// removes an empty target with it, and cannot remove a link to a folder that holds anything).
inline void files(Files& f, const std::string& root, const FilesMachine& machine) {
  const std::string r = root + "\\", uno = r + "uno.txt", dos = r + "dos.txt", tres = r + "tres.txt",
                    solo = r + "solo.txt", falta = r + "no_existe.txt", movida = r + "Carpeta movida";
  struct Step {
    const char* what;
    std::function<bool()> op;
    bool ok;
  } steps[] = {
      {"folders with every missing parent", [&] { return f.createFolders(r + "Configuración\\Datos\\"); }, true},
      {"an existing folder, in other letter case", [&] { return f.createFolders(r + "CONFIGURACIÓN"); }, true},
      {"a new file", [&] { return f.writeFile(uno, "12345"); }, true},
      {"a file in a missing folder", [&] { return f.writeFile(r + "falta\\uno.txt", "x"); }, false},
      {"a folder where a file is", [&] { return f.createFolders(uno + "\\sub"); }, false},
      {"a file to make read-only", [&] { return f.writeFile(solo, "ro"); }, true},
      {"read-only", [&] { return f.setReadOnly(solo, true); }, true},
      {"read-only, a missing file", [&] { return f.setReadOnly(falta, true); }, false},
      {"attributes cleared, a missing file", [&] { return f.clearReadOnlyAndHidden(falta); }, false},
      {"delete a read-only file", [&] { return f.deleteFile(solo); }, false},
      {"delete a folder as a file", [&] { return f.deleteFile(r + "Configuración"); }, false},
      {"delete a missing file", [&] { return f.deleteFile(falta); }, false},
      {"remove a folder that holds one", [&] { return f.removeFolder(r + "Configuración"); }, false},
      {"remove a file as a folder", [&] { return f.removeFolder(uno); }, false},
      {"remove a missing folder", [&] { return f.removeFolder(r + "no_existe"); }, false},
      {"copy to a new name, keeping any", [&] { return f.copyFile(solo, dos, true); }, true},
      {"the copy made writable", [&] { return f.setReadOnly(dos, false); }, true},
      {"copy onto a file, keeping it", [&] { return f.copyFile(uno, dos, true); }, false},
      {"copy onto a file, replacing it", [&] { return f.copyFile(uno, dos, false); }, true},
      {"copy into a missing folder", [&] { return f.copyFile(uno, r + "falta\\uno.txt", false); }, false},
      {"copy a missing file", [&] { return f.copyFile(falta, tres, false); }, false},
      {"move to a new name", [&] { return f.moveFile(uno, tres, false); }, true},
      {"a file where one was moved from", [&] { return f.writeFile(uno, "otro"); }, true},
      {"move onto a file, keeping it", [&] { return f.moveFile(uno, tres, false); }, false},
      {"move onto a file, replacing it", [&] { return f.moveFile(uno, tres, true); }, true},
      {"move a folder with what it holds", [&] { return f.moveFile(r + "Configuración", movida, false); }, true},
      {"move into a missing folder", [&] { return f.moveFile(movida, r + "falta\\Movida", false); }, false},
      {"remove an empty folder", [&] { return f.removeFolder(movida + "\\Datos"); }, true},
      {"a folder to link to", [&] { return f.createFolders(r + "Destino"); }, true},
      {"a link", [&] { return machine.makeLink(r + "Destino", r + "Enlace"); }, true},
      {"a foreign name", [&] { return machine.putForeignFile(root); }, true},
      {"delete by the name the program's text shows", [&] { return f.deleteFile(r + "?ód?.txt"); }, false},
  };
  for (const Step& s : steps) EXPECT_EQ(s.op(), s.ok) << s.what;

  // What is left, listed. Names keep the letter case they were made with; a link shows the
  // reparse bit (and the folder bit).
  struct Entry {
    const char* name;
    bool folder, link, readOnly;
    uint32_t size;
    bool foreign;
  } expected[] = {
      {".", true, false, false, 0, false},        {"..", true, false, false, 0, false},
      {"?ód?.txt", false, false, false, 1, true}, {"Carpeta movida", true, false, false, 0, false},
      {"Destino", true, false, false, 0, false},  {"Enlace", true, true, false, 0, false},
      {"dos.txt", false, false, false, 5, false}, {"solo.txt", false, false, true, 2, false},
      {"tres.txt", false, false, false, 4, false},
  };
  std::vector<FileEntry> listed;
  ASSERT_TRUE(f.list(r + "*.*", listed));
  std::sort(listed.begin(), listed.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  ASSERT_EQ(listed.size(), std::size(expected));
  for (size_t i = 0; i < listed.size(); ++i) {
    const Entry& e = expected[i];
    EXPECT_EQ(listed[i].name, e.name);
    EXPECT_EQ(listed[i].isFolder, e.folder) << e.name;
    EXPECT_EQ(listed[i].isReparsePoint, e.link) << e.name;
    EXPECT_FALSE(listed[i].isVolumeLabel) << e.name;
    EXPECT_EQ(listed[i].readOnly, e.readOnly) << e.name;
    if (!e.folder) {
      EXPECT_EQ(listed[i].sizeLow, e.size) << e.name;
    }
    EXPECT_EQ(listed[i].nameNotRepresentable, e.foreign) << e.name;
  }

  // Patterns: a mask leaves out the dots; nothing matching, or a missing folder, is false.
  struct Pattern {
    std::string pattern;
    size_t count;
  } patterns[] = {{r + "*.TXT", 4}, {movida + "\\*.*", 2}, {r + "*.zip", 0}, {r + "falta\\*.*", 0}};
  for (const Pattern& p : patterns) {
    EXPECT_EQ(f.list(p.pattern, listed), p.count > 0) << p.pattern;
    EXPECT_EQ(listed.size(), p.count) << p.pattern;
  }

  // Names compare without letter case, accents included.
  enum Kind { None, File, Folder };
  struct State {
    std::string path;
    Kind kind;
    const char* data;
  } states[] = {
      {upperText(movida), Folder, ""}, {movida + "\\datos", None, ""}, {r + "Configuración", None, ""},
      {r + "Destino", Folder, ""},     {r + "Enlace", Folder, ""},     {r + "?ód?.txt", None, ""},
      {uno, None, ""},                 {r + "DOS.TXT", File, "12345"}, {r + "Tres.txt", File, "otro"},
      {solo, File, "ro"},              {falta, None, ""},
  };
  for (const State& s : states) {
    EXPECT_EQ(f.fileExists(s.path), s.kind == File) << s.path;
    EXPECT_EQ(f.folderExists(s.path), s.kind == Folder) << s.path;
    std::string data;
    uint64_t size = 0;
    LocalTime t;
    EXPECT_EQ(f.readFile(s.path, data), s.kind == File) << s.path;
    EXPECT_EQ(data, s.data) << s.path;
    if (s.kind == Folder) continue;  // sizes and times of folders are not asked for
    EXPECT_EQ(f.fileSize(s.path, size) && size == data.size(), s.kind == File) << s.path;
    EXPECT_EQ(f.lastWriteTime(s.path, t), s.kind == File) << s.path;
  }
  EXPECT_EQ(f.openRead(falta), nullptr);
  std::string data;
  EXPECT_TRUE(f.writeFile(tres, "ab") && f.readFile(tres, data) && data == "ab") << "a file written again is truncated";

  // A missing file has no short form; an existing one's names it. The name as its folder stores
  // it, by the short form or in any letter case; "" when none can be told.
  EXPECT_EQ(f.shortPath(falta), falta);
  EXPECT_TRUE(f.folderExists(f.shortPath(movida)));
  struct Stored {
    std::string path;
    const char* name;
  } stored[] = {{f.shortPath(movida), "Carpeta movida"}, {upperText(movida), "Carpeta movida"},
                {r + "DOS.TXT", "dos.txt"}, {falta, ""}, {r + "?ód?.txt", ""}};
  for (const Stored& s : stored) EXPECT_EQ(f.storedName(s.path), s.name) << s.path;
  EXPECT_EQ(f.tempFolder().back(), '\\');
}

// `key`: a registered service, named in mixed letter case, whose display name `display` differs.
// State changes (start, stop and their waits) are scripted in the fake and proven on Windows by
// the service tests under Wine.
inline void services(Services& s, const std::string& key, const std::string& display) {
  std::vector<std::string> names = s.serviceNames("");
  EXPECT_EQ(std::count(names.begin(), names.end(), key), 1) << "listed once, as registered";
  for (const std::string& n : names) EXPECT_NE(upperText(n), upperText(display)) << "key names only";
  struct Row {
    std::string name;
    bool opens;
  } rows[] = {{key, true}, {upperText(key), true}, {display, false}, {key + "NoExiste", false}};
  for (const Row& row : rows) {
    for (bool forStop : {false, true}) {
      auto control = forStop ? s.openForStop("", row.name) : s.openForStart("", row.name);
      ASSERT_EQ(control != nullptr, row.opens) << row.name << (forStop ? " to stop" : " to start");
      ServiceStatus status;
      if (control) {
        EXPECT_TRUE(control->query(status)) << row.name;
      }
    }
  }
}

// `selfId`/`exeName`: a running process (the test program itself on Windows); `name` is set to
// `value` in its environment; `longCommand` runs for a minute. Switching error boxes off shows
// nothing the port can read back, and a command's output is scripted in the fake: the runner's
// tests under Wine prove the pipes.
inline void processes(Processes& p, uint32_t selfId, const std::string& exeName, const std::string& name,
                      const std::string& value, const std::string& longCommand) {
  std::vector<ProcessEntry> table;
  ASSERT_TRUE(p.list(table));
  auto self = std::find_if(table.begin(), table.end(), [&](const ProcessEntry& e) { return e.id == selfId; });
  ASSERT_NE(self, table.end());
  EXPECT_EQ(upperText(self->exeFile), upperText(exeName)) << "the file name alone";
  std::string path;
  ASSERT_TRUE(p.imagePath(selfId, path));
  EXPECT_TRUE(namesFile(path, exeName)) << path;
  EXPECT_EQ(path.find('~'), std::string::npos) << "the long form: " << path;

  uint32_t missing = 4;
  while (std::any_of(table.begin(), table.end(), [&](const ProcessEntry& e) { return e.id == missing; })) missing += 4;
  EXPECT_FALSE(p.terminate(missing));
  EXPECT_FALSE(p.imagePath(missing, path));

  struct Row {
    std::string name, value;
  } rows[] = {{name, value}, {upperText(name), value}, {name + "_NO_DEFINIDA", ""}};
  for (const Row& row : rows) EXPECT_EQ(p.environment(row.name), row.value) << row.name;

  auto command = p.startHidden(longCommand);
  ASSERT_NE(command, nullptr);
  EXPECT_FALSE(command->finished());
  command->endTree();
  for (int i = 0; i < 100 && !command->finished(); ++i) command->waitForActivity(100);
  EXPECT_TRUE(command->finished()) << "ended with what it started";
}

// `program`: a program the shell finds by its bare name; `missing`: a full path to no file.
inline void shell(Shell& s, const std::string& program, const std::string& parameters, const std::string& missing) {
  EXPECT_TRUE(s.startHidden(program, parameters));
  EXPECT_FALSE(s.startHidden(missing, "/s biokey.ocx"));
  EXPECT_TRUE(s.broadcastEnvironmentChange());
}

// The probes as the steps use them. `files` holds the machine's folders; `exeName` is the running
// program's file name.
inline void systemInfo(SystemInfo& s, Files& files, const std::string& exeName) {
  struct Folder {
    const char* what;
    std::string path;
  } folders[] = {{"program files", s.programFilesDir()},
                 {"Windows", s.windowsDir()},
                 {"system", s.systemDir()},
                 {"system programs", s.systemProgramsDir()},
                 {"desktop", s.desktopDir()},
                 {"all users' desktop", s.commonDesktopDir()},
                 {"Start menu", s.startMenuProgramsDir()},
                 {"all users' Start menu", s.commonStartMenuProgramsDir()}};
  for (const Folder& f : folders) {
    ASSERT_GT(f.path.size(), 3u) << f.what;
    EXPECT_EQ(f.path.substr(1, 2), ":\\") << f.what << ": " << f.path;
    EXPECT_NE(f.path.back(), '\\') << f.what << ": " << f.path;
    EXPECT_TRUE(files.folderExists(f.path)) << f.what << ": " << f.path;
  }
  for (const std::string& below : {s.systemDir(), s.systemProgramsDir()})
    EXPECT_EQ(upperText(below).rfind(upperText(s.windowsDir() + "\\"), 0), 0u) << below << ": not below Windows";
  for (const char* program : {"cmd.exe", "regsvr32.exe", "sc.exe"})
    EXPECT_TRUE(files.fileExists(s.systemProgramsDir() + "\\" + program)) << program;
  EXPECT_NE(upperText(s.startMenuProgramsDir()), upperText(s.commonStartMenuProgramsDir()));
  std::string exe = s.exePath();
  EXPECT_TRUE(files.fileExists(exe)) << exe;
  EXPECT_TRUE(namesFile(exe, exeName)) << exe;

  EXPECT_FALSE(s.computerName().empty());
  EXPECT_GT(s.totalPhysicalMemory(), 0u);
  EXPECT_NO_THROW(s.isWow64());
  std::string code, error;
  ASSERT_TRUE(s.localeCountryCode(code, error)) << error;
  EXPECT_FALSE(code.empty());
  EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << code;
  std::string decimal = s.decimalSeparator();
  EXPECT_TRUE(!decimal.empty() && decimal.size() <= 3) << decimal;
}

}  // namespace contract
}  // namespace tf
