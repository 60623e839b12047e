#pragma once

#include <exception>
#include <stdexcept>

#include "core/OrvellError.h"

// Every engine call the GUI makes on a user's action goes through CallEngine: what the engine
// throws is shown in a message box (an error that does not notify the user is only logged, by
// the engine), and never ends the program. Returns whether the call returned normally.
template <typename Call>
bool CallEngine(Call&& call);

// What CallEngine shows.
void ShowEngineError(OrvellError& error);
void ShowEngineError(const std::exception& error);

template <typename Call>
bool CallEngine(Call&& call) {
    try {
        call();
        return true;
    } catch (OrvellError& error) {
        ShowEngineError(error);
    } catch (const std::exception& error) {
        ShowEngineError(error);
    } catch (const char* text) {
        ShowEngineError(std::runtime_error(text));
    }
    return false;
}
