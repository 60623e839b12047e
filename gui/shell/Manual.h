#pragma once

#include <QUrl>
#include <functional>

// The user's manual, "doc.htm" beside the program, opened in the desktop's browser.
namespace Manual {

// file:// of doc.htm in the engine's program folder.
QUrl Location();
// Opens it: through the desktop's services, else with xdg-open; when both fail nothing is
// shown.
void Open();

// How a URL is opened (tests give their own); returns whether it was.
using Opener = std::function<bool(const QUrl&)>;
void SetOpeners(Opener desktop, Opener fallback);

}  // namespace Manual
