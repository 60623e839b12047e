#include "shell/EngineCall.h"

#include "core/OrvellError.h"
#include "resources/Strings.h"
#include "shell/MessageBoxes.h"

void ShowEngineError(OrvellError& error) {
    if (error.NotifyUser)
        MessageBoxes::Current().Show(QString::fromStdString(error.Message),
                                     QString::fromUtf8(Strings::AppTitle),
                                     MessageBoxes::Buttons::Ok);
}

void ShowEngineError(const std::exception& error) {
    MessageBoxes::Current().Show(QString::fromLocal8Bit(error.what()),
                                 QString::fromUtf8(Strings::AppTitle), MessageBoxes::Buttons::Ok);
}
