// Arbitrary octets into the message decoder; only the codec's own range error is expected.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SnmpInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string message(reinterpret_cast<const char*>(data), size);
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  try {
    info.DecodeMessage(message);
  } catch (const ERangeError&) {
    return 0;
  }
  // Whatever decoded must encode again and be readable by index.
  for (size_t i = 0; i < info.Count(); ++i) {
    info.OidAt(i);
    info.ValueAt(i);
  }
  info.EncodeMessage();
  return 0;
}
