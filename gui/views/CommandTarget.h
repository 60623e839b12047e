#pragma once

// A window that takes part in the main window's command routing: every command is offered to
// the row of strips, then to the transport panel, then to the view itself, whether or not an
// earlier one handled it.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;

    // Whether this window has a handler for command id (a command no window handles shows
    // disabled).
    virtual bool HandlesCommand(int id) const = 0;
    // Runs command id; false when this window does not handle it.
    virtual bool OnCommand(int id) = 0;
};
