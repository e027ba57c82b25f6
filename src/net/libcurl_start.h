#pragma once

#include <thread>

// libcurl's one-time start. It is slow where the TLS library starts with it
// (Schannel under Wine: about 25 ms, GnuTLS loaded on the host side), and
// the first transfer of a run is the module download, which the player waits
// for. A start-up with other work to do first lets a cLibcurlWarmUp begin it
// on a thread of its own.
namespace quarvel {

// Starts libcurl once per process; later calls wait for that start and give
// its answer. False when libcurl cannot be used at all.
bool PrepareLibcurl();

// Runs PrepareLibcurl on a thread of its own from construction; the
// destructor waits for it. A transfer that comes first simply waits for the
// same start.
class cLibcurlWarmUp {
 public:
  cLibcurlWarmUp();
  ~cLibcurlWarmUp();
  cLibcurlWarmUp(const cLibcurlWarmUp&) = delete;
  cLibcurlWarmUp& operator=(const cLibcurlWarmUp&) = delete;

 private:
  std::thread thread_;
};

}  // namespace quarvel
