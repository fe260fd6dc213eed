#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <string>

#include "Transport.h"

// Datagrams over UDP: one non-blocking socket watched by the event loop, the host resolved once
// per Open (without waiting) and the socket connected to it, so that the kernel drops datagrams
// from anywhere else. Nothing here ever waits.
class TUdpTransport : public QObject, public TTransport {
  Q_OBJECT
 public:
  explicit TUdpTransport(QObject* parent = nullptr);
  ~TUdpTransport() override;

  // "localhost" and address literals need no lookup; of a name's addresses the first IPv4 one
  // is taken, else the first IPv6 one.
  void Open(const QString& host, quint16 port, TOpenedFunction opened) override;
  QString Send(const std::string& datagram) override;
  void Close() override;

  // The address datagrams go to.
  const QHostAddress& Address() const { return FAddress; }

 private:
  void ReadPending();
  // A socket for the address's family connected to address:FPort; an empty text, or the socket
  // error's message.
  QString OpenSocket(const QHostAddress& address);
  void CloseSocket();

  int FSocket = -1;
  int FFamily = 0;
  QSocketNotifier* FNotifier = nullptr;  // a child
  QHostAddress FAddress;
  quint16 FPort = 161;
  uint64_t FGeneration = 0;  // bumped by Open and Close: lookups of older ones are dropped
  std::string FBuffer;
  std::string FDatagram;
};
