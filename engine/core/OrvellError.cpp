#include "core/OrvellError.h"

#include <utility>

#include "core/Log.h"
#include "platform/os/UserInterface.h"

OrvellError::OrvellError() : Message("Undefined error") {}
OrvellError::OrvellError(const char* message) : Message(message ? message : "") {}
OrvellError::OrvellError(std::string message) : Message(std::move(message)) {}
OrvellError::OrvellError(const OrvellError& other)
    : Message(other.Message), Code(other.Code), NotifyUser(other.NotifyUser) {}

OrvellError& OrvellError::operator=(const OrvellError& other) {
    Message = other.Message;
    Code = other.Code;
    NotifyUser = other.NotifyUser;
    return *this;
}

OrvellError::~OrvellError() {
    WriteLog(Message);
}

void OrvellError::Show() {
    ShowUserMessage(Message);
}

bool OrvellError::Notify() {
    if (!NotifyUser)
        return false;
    Show();
    return true;
}

DisplayedError::DisplayedError(const char* message) : OrvellError(message) {}
DisplayedError::DisplayedError(std::string message) : OrvellError(std::move(message)) {}
DisplayedError::DisplayedError(const DisplayedError& other) : OrvellError(other) {}
DisplayedError::DisplayedError(OrvellError& other) : OrvellError(other.Message) {
    Code = other.Code;
}
DisplayedError& DisplayedError::operator=(const OrvellError& other) {
    OrvellError::operator=(other);
    return *this;
}
DisplayedError& DisplayedError::operator=(const DisplayedError& other) {
    OrvellError::operator=(other);
    return *this;
}

InternalError::InternalError(const char* message) : OrvellError(message) {}
InternalError::InternalError(std::string message) : OrvellError(std::move(message)) {}
InternalError::InternalError(const InternalError& other) : OrvellError(other) {}
InternalError& InternalError::operator=(const OrvellError& other) {
    OrvellError::operator=(other);
    return *this;
}
InternalError& InternalError::operator=(const InternalError& other) {
    OrvellError::operator=(other);
    return *this;
}
