#pragma once

#include <cstdint>
#include <string>

#include "core/PalkExport.h"

// Every failure of the engine travels as a value of this family. Each object that is
// destroyed appends its message to the log, so one failure usually shows up on several
// consecutive lines: the thrown object, the caught copy, a queue element.
class PALKENG_API OrvellError {
  public:
    OrvellError();
    explicit OrvellError(const char* message);
    explicit OrvellError(std::string message);
    OrvellError(const OrvellError& other);
    OrvellError& operator=(const OrvellError& other);
    virtual ~OrvellError();

    // Shows the message in a message box through the engine's user-interface hook.
    void Show();
    // Shows the message like Show when NotifyUser is set; returns whether it was shown.
    bool Notify();

    std::string Message;
    int32_t Code = 2;
    bool NotifyUser = true;
};

// A condition the user met: wrong state, bad choice, busy device.
class PALKENG_API DisplayedError : public OrvellError {
  public:
    explicit DisplayedError(const char* message);
    explicit DisplayedError(std::string message);
    DisplayedError(const DisplayedError& other);
    // Re-throws another error (a device error) as one the user is shown.
    explicit DisplayedError(OrvellError& other);
    DisplayedError& operator=(const OrvellError& other);
    DisplayedError& operator=(const DisplayedError& other);
};

// A failure of the wave-buffer machinery or of a plug-in lookup.
class PALKENG_API InternalError : public OrvellError {
  public:
    explicit InternalError(const char* message);
    explicit InternalError(std::string message);
    InternalError(const InternalError& other);
    InternalError& operator=(const OrvellError& other);
    InternalError& operator=(const InternalError& other);
};
