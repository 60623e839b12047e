#pragma once

#include <semaphore.h>

// A counting semaphore on a POSIX one. Post neither allocates nor takes a lock, so the player
// thread may call it; Wait blocks the calling thread until a post arrives.
class Semaphore {
  public:
    Semaphore();
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    void Post() noexcept;
    void Wait();

  private:
    sem_t semaphore_;
};
