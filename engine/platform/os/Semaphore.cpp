#include "platform/os/Semaphore.h"

#include <errno.h>

#include <system_error>

Semaphore::Semaphore() {
    if (sem_init(&semaphore_, 0, 0) != 0)
        throw std::system_error(errno, std::generic_category(), "sem_init");
}

Semaphore::~Semaphore() {
    sem_destroy(&semaphore_);
}

void Semaphore::Post() noexcept {
    sem_post(&semaphore_);
}

void Semaphore::Wait() {
    while (sem_wait(&semaphore_) != 0 && errno == EINTR) {
    }
}
