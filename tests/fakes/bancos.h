// Machines prepared for a whole run over the fakes: one where an installation can run, one
// where the uninstaller finds what a full installation leaves.
#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/principal.h"
#include "tests/fakes/maquina.h"
#include "tests/fakes/zip_memoria.h"

namespace tf {

inline const std::string kBancoRaiz = "C:\\Program Files (x86)\\TurnaliaFree";
inline const std::string kBancoDbms = "C:\\Program Files (x86)\\MySQL\\MariaDB 10.1";
inline const std::string kBancoPath = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline const std::string kBancoEntrada =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TurnaliaFree.exe";
inline const char* const kBancoExitoDesinstalacion = "La desinstalaci\xF3n se realiz\xF3 con \xE9xito !";

// A machine where the packages lie beside the installer and the programs behave: the database
// server and the product's services register themselves when asked, and the product database
// answers on 3307.
struct BancoInstalacion : MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;

  void preparar() {
    processes.onStart = [this](const std::string& cmd) {
      auto registra = [&](const char* programa, const char* servicio) {
        if (cmd.find(programa) != std::string::npos && cmd.find("-install") != std::string::npos &&
            !services.find(servicio))
          services.services.push_back({servicio, servicio});
      };
      registra("mysqld.exe", "KVTDB");
      registra("KVT_service.exe", "srvKVT_service");
      registra("KVT_zkteco.exe", "srvKVT_zkteco");
      return FakeCommandScript{};
    };
    registry.putKey(RegistryRoot::LocalMachine, kBancoPath);
    net.servidoresMySQL[3307].tablas = {"empleados", "turnos"};  // the product's server, once set up
    files.put(sys.exe, "MZ");
    files.mkdir(sys.desktop);
    files.mkdir(sys.programs);
    files.put("C:\\Descargas\\utils.zip", zipAlmacenado({{"midas.dll", "d"}, {"biokey.ocx", "o"}}));
    files.put("C:\\Descargas\\dbms.zip",
              zipAlmacenado({{"MariaDB 10.1/bin/mysqld.exe", "MZ"}, {"MariaDB 10.1/bin/mysqladmin.exe", "MZ"},
                             {"MariaDB 10.1/bin/mysql.exe", "MZ"}, {"MariaDB 10.1/data/my.ini", "[mysqld]\r\nx\r\n"}}));
    files.put("C:\\Descargas\\temp_turnaliafree.sql", "CREATE DATABASE turnaliafree;");
    files.put("C:\\Descargas\\TurnaliaFree.zip",
              zipAlmacenado({{"TurnaliaFree.exe", "MZ"}, {"KVT_service.exe", "MZ"}, {"KVT_zkteco.exe", "MZ"}}));
  }
  void instalar(std::vector<std::string> args = {"-no_downloads"}) {
    frm = &arrancar(args);
    frm->alPulsar("btnInstalar");
  }
  std::string fallo() { return frm->form["imgOK"].visible ? "" : frm->form["lblFinalizacion2"].caption; }
  bool registrado(const char* comando) {
    for (const auto& c : processes.started)
      if (c.find(comando) != std::string::npos) return true;
    return false;
  }
  bool enLog(const std::string& linea) {
    auto l = mensajes();
    return std::find(l.begin(), l.end(), linea) != l.end();
  }
};

// The uninstaller in place over what a full installation leaves; every command answers with
// its own line, so the log shows whose output is whose.
struct BancoDesinstalacion : MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  std::vector<std::string> comandos;  // without "cmd /c"

  BancoDesinstalacion() {
    sys.exe = "C:\\windows\\TurnaliaFree\\uninstall.exe";
    files.put(sys.exe, "MZ");
    processes.onStart = [this](const std::string& linea) {
      comandos.push_back(linea.substr(linea.find(" /c ") + 4));
      return FakeCommandScript{{{0, "<" + comandos.back() + ">"}}};
    };
    registry.putKey(RegistryRoot::LocalMachine, kBancoEntrada);
    for (const char* f : {"TurnaliaFree.exe", "KVT_service.exe", "KVT_zkteco.exe", "Utils\\kvt_tools.exe",
                          "BackUp\\kvt_20240101.zip", "BackUp\\notas.txt"})
      files.put(kBancoRaiz + "\\" + f, "x");
    files.shortNames[kBancoRaiz + "\\KVT_service.exe"] = "C:\\PROGRA~2\\TURNAL~1\\KVT_SE~1.EXE";
    files.shortNames[kBancoRaiz + "\\KVT_zkteco.exe"] = "C:\\PROGRA~2\\TURNAL~1\\KVT_ZK~1.EXE";
    files.put(kBancoDbms + "\\data\\turnaliafree\\t.frm", "datos");
    for (const std::string& l : {sys.desktop + "\\Turnalia Free.lnk", sys.programs + "\\TurnaliaFree\\TurnaliaFree.lnk",
                                 sys.programs + "\\TurnaliaFree\\Desinstalar.lnk",
                                 sys.commonPrograms + "\\TurnaliaFree\\Turnalia Free.lnk"})
      files.put(l, "L");
    for (const char* s : {"KVTDB", "srvKVT_service", "srvKVT_zkteco"}) services.services.push_back({s, s});
  }
  void arrancar(std::vector<std::string> args = {"kvt"}) { frm = &MaquinaFalsa::arrancar(args); }
  void pulsar(const std::string& control) {  // as the view: an error goes to the standard box
    try {
      frm->alPulsar(control);
    } catch (const std::exception& e) {
      ui.standardError(e.what());
    }
  }
  void desinstalar() {
    arrancar();
    frm->form["chkKVTDesinstalar"].checked = true;
    pulsar("chkKVTDesinstalar");
    pulsar("btnDesinstalar");
  }
  std::vector<std::string> lineasRun() {  // between the two panels
    std::vector<std::string> l = mensajes();
    auto desde = std::find(l.begin(), l.end(), "Mostrando panel pnlDesinstalar ...");
    auto hasta = std::find(desde, l.end(), "Mostrando panel pnlFinalizacion ...");
    return desde == l.end() ? std::vector<std::string>{} : std::vector<std::string>(desde + 1, hasta);
  }
  bool exito() { return frm->panelVisible() == "pnlFinalizacion" && frm->form["lblFinalizacion"].caption == kBancoExitoDesinstalacion; }
  bool enLog(const std::string& s) { auto l = lineasRun(); return std::find(l.begin(), l.end(), s) != l.end(); }
};

}  // namespace tf
