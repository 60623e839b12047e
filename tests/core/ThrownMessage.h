#pragma once

#include <string>

// The message of the Error (an OrvellError class) that f throws, "" when it throws nothing;
// an error of another class is not caught, so the test fails on it.
template <class Error, class F>
std::string ThrownMessage(F f) {
    try {
        f();
    } catch (const Error& error) {
        return error.Message;
    }
    return "";
}
