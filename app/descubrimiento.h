// LAN discovery: whether a server installation of the product answers on the local network.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/net.h"
#include "platform/ports.h"
#include "platform/ui.h"

namespace tf {

constexpr uint16_t kPuertoDescubrimiento = 8077;
constexpr unsigned kEsperaDescubrimientoMs = 2000;  // the whole wait for an answer
constexpr unsigned kTramoDescubrimientoMs = 250;    // the window's messages are processed after each
constexpr size_t kRespuestaMaxima = 8192;           // bytes of an answer taken as the name

// Broadcasts the empty question to port 8077 and waits for the first answer, at most 2000 ms
// by `clock`, in slices of 250 ms with the window's messages processed after each. `nombre` is
// the answer's payload ("" when nobody answered or the answer was empty). The socket is made
// into `socket` on first use and left open there. False with `error` on a network error.
bool preguntarServidorRed(Network& net, std::unique_ptr<UdpSocket>& socket, Clock& clock, Ui& ui,
                          std::string& nombre, std::string& error);

}  // namespace tf
