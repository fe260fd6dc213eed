#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <string>

// Datagrams to and from one agent, with no SNMP knowledge: what a poller's requests travel
// through. The program's is UDP (net/); tests script one.
class TTransport {
 public:
  virtual ~TTransport() = default;

  struct TOpened {
    QString Error;          // empty: open
    bool NotFound = false;  // the name did not resolve
  };
  using TOpenedFunction = std::function<void(const TOpened&)>;
  using TReceivedFunction = std::function<void(const std::string& datagram)>;

  // Forgets what was open, then finds host (a name, "localhost" or an address literal) and
  // readies datagrams to host:port. opened runs once, from the event loop (never before Open
  // returns), unless Close or another Open comes first.
  virtual void Open(const QString& host, quint16 port, TOpenedFunction opened) = 0;
  // Sends one datagram to the opened host now; why it could not, or an empty text.
  virtual QString Send(const std::string& datagram) = 0;
  // Forgets the host: nothing more comes.
  virtual void Close() = 0;
  // Each datagram that comes from the host, from the event loop.
  void SetReceiver(TReceivedFunction received) { FReceived = std::move(received); }

 protected:
  void Deliver(const std::string& datagram) const {
    if (FReceived) FReceived(datagram);
  }

 private:
  TReceivedFunction FReceived;
};

// Makes a transport for each poller.
using TTransportFactory = std::function<std::unique_ptr<TTransport>()>;
