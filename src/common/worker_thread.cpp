#include "common/worker_thread.h"

#include <system_error>

namespace quarvel {

cWorkerThread::~cWorkerThread() { cWorkerThread::Stop(); }

bool cWorkerThread::Start() {
  std::lock_guard lock(threadLock_);
  if (thread_.joinable()) return false;
  stopFlag_.exchange(false);
  stopEvent_.Reset();
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void cWorkerThread::Stop() {
  cWorkerThread::RequestStop();
  Join();
}

void cWorkerThread::RequestStop() {
  stopFlag_.exchange(true);
  stopEvent_.Set();
}

bool cWorkerThread::IsRunning() {
  std::lock_guard lock(threadLock_);
  return thread_.joinable();
}

void cWorkerThread::Join() {
  std::lock_guard lock(threadLock_);
  if (!thread_.joinable()) return;
  // A job that stops its own worker cannot wait for itself: the request
  // stands and the thread ends after that job; it is detached so the owner's
  // later Stop or destruction does not wait on a thread that has gone.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  thread_.join();
}

}  // namespace quarvel
