#include "Metrics.h"

#include <charconv>
#include <cmath>
#include <set>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <vector>

#include "Requester.h"

namespace {

// Numbers as the format reads them: digits with a dot, whatever the locale.
template <class T>
QByteArray Number(T value) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  }
  char buffer[64];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return QByteArray(buffer, static_cast<int>(result.ptr - buffer));
}

using TLabels = std::vector<std::pair<const char*, QString>>;

// One metric family: its samples are written only when it has any.
struct TFamily {
  const char* Name;
  const char* Type;
  const char* Help;
  QByteArray Samples;

  void Add(const TLabels& labels, const QByteArray& value) {
    Samples += Name;
    char separator = '{';
    for (const auto& [label, text] : labels) {
      Samples += separator;
      Samples += label;
      Samples += "=\"";
      Samples += EscapeLabelValue(text);
      Samples += '"';
      separator = ',';
    }
    if (!labels.empty()) Samples += '}';
    Samples += ' ';
    Samples += value;
    Samples += '\n';
  }
  void WriteTo(QByteArray& out) const {
    if (Samples.isEmpty()) return;
    out += QByteArray("# HELP ") + Name + ' ' + Help + '\n';
    out += QByteArray("# TYPE ") + Name + ' ' + Type + '\n';
    out += Samples;
  }
};

}  // namespace

QByteArray EscapeLabelValue(const QString& value) {
  const QByteArray utf8 = value.toUtf8();
  QByteArray escaped;
  escaped.reserve(utf8.size());
  for (const char c : utf8) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

QByteArray RenderMetrics(const TMetricsValues& values) {
  return RenderMetrics(std::vector<TMetricsValues>{values});
}

QByteArray RenderMetrics(const std::vector<TMetricsValues>& hosts) {
  TFamily up{"corvane_up",
             "gauge",
             "Whether the last poll of the host got answers (1) or not (0); 0 while not "
             "connected.",
             {}};
  TFamily duration{"corvane_poll_duration_seconds", "gauge", "How long the last poll took.", {}};
  TFamily requests{"corvane_poll_requests", "gauge", "SNMP requests the last poll sent.", {}};
  TFamily load{"corvane_processor_load_percent",
               "gauge",
               "Processor load in percent as the agent gave it (hrProcessorLoad).",
               {}};
  TFamily octets{"corvane_interface_octets_total",
                 "counter",
                 "Octets through the interface: the agent's counter as read.",
                 {}};
  // Bytes rather than bits: Prometheus names carry base units.
  TFamily speed{"corvane_interface_speed_bytes_per_second",
                "gauge",
                "Interface speed as the agent gave it (ifSpeed), in bytes per second.",
                {}};
  TFamily size{"corvane_storage_size_bytes",
               "gauge",
               "Size of the storage area (hrStorageSize times its allocation unit).",
               {}};
  TFamily used{"corvane_storage_used_bytes",
               "gauge",
               "Used part of the storage area (hrStorageUsed times its allocation unit).",
               {}};

  for (const TMetricsValues& values : hosts) {
    const TLabels host{{"host", values.Host}};
    up.Add(host, values.Up ? "1" : "0");
    if (values.PollSeconds) duration.Add(host, Number(*values.PollSeconds));
    if (values.PollRequests) requests.Add(host, Number(*values.PollRequests));
    for (const auto& [key, raw] : values.Items) {
      const QString index = QString::number(key.second);
      switch (key.first) {
        case TItemKind::Processor:
          if (raw.Load) load.Add({{"host", values.Host}, {"index", index}}, Number(*raw.Load));
          break;
        case TItemKind::Interface: {
          const TLabels item{{"host", values.Host}, {"interface", raw.Name}, {"index", index}};
          const std::pair<const char*, const std::optional<uint64_t>*> directions[] = {
              {"in", &raw.InOctets}, {"out", &raw.OutOctets}};
          for (const auto& [direction, counter] : directions) {
            if (!*counter) continue;
            TLabels labels = item;
            labels.emplace_back("direction", QString::fromLatin1(direction));
            octets.Add(labels, Number(**counter));
          }
          if (raw.SpeedBits > 0) speed.Add(item, Number(static_cast<double>(raw.SpeedBits) / 8));
          break;
        }
        case TItemKind::Storage: {
          const TLabels item{{"host", values.Host}, {"area", raw.Name}, {"index", index}};
          if (raw.SizeBytes) size.Add(item, Number(*raw.SizeBytes));
          if (raw.UsedBytes) used.Add(item, Number(*raw.UsedBytes));
          break;
        }
      }
    }
  }

  QByteArray out;
  for (const TFamily* family : {&up, &duration, &requests, &load, &octets, &speed, &size, &used})
    family->WriteTo(out);
  return out;
}

QByteArray RenderAlertMetrics(const std::vector<TActiveAlert>& alerts) {
  TFamily active{"corvane_alert_active",
                 "gauge",
                 "1 while an alert stands for the host's item (no item: the host itself).",
                 {}};
  // Two items may share a name; a scrape must not hold the same series twice.
  std::set<std::tuple<QString, QString, QString>> written;
  for (const TActiveAlert& alert : alerts) {
    if (!written.emplace(alert.Host, alert.Kind, alert.Item).second) continue;
    active.Add({{"host", alert.Host}, {"kind", alert.Kind}, {"item", alert.Item}}, "1");
  }
  QByteArray out;
  active.WriteTo(out);
  return out;
}

void TMetrics::Connect(const QString& host) {
  FValues = TMetricsValues{};
  FValues.Host = host;
  // The host has just answered every step of the Connect.
  FValues.Up = true;
  FPending.clear();
  FConnected = true;
}

void TMetrics::StartPoll(int64_t now) {
  FPending.clear();
  FPollStart = now;
}

void TMetrics::Add(const TRowUpdate& update) {
  if (FConnected) FPending[{update.Kind, update.Index}] = update.Raw;
}

void TMetrics::EndPoll(const TReadRun& run, int64_t now) {
  if (!FConnected) return;
  for (auto& [key, raw] : FPending) FValues.Items[key] = std::move(raw);
  FPending.clear();
  if (run.Requests > 0) FValues.Up = run.Answers > 0;
  if (FPollStart) {
    FValues.PollSeconds = static_cast<double>(now - *FPollStart) / 1e3;
    FPollStart.reset();
  }
  FValues.PollRequests = run.Requests;
}

void TMetrics::Disconnect() {
  const QString host = FValues.Host;
  FValues = TMetricsValues{};
  FValues.Host = host;
  FPending.clear();
  FConnected = false;
}
