#pragma once

// Reads the engine's settings and makes sure a card is open: the first card of the settings,
// or card 0 opened for this command alone (added is then true, and the caller removes the
// cards before it ends, so that the card stays out of the user's settings). False when no card
// can be opened. Throws what the engine throws.
bool ReadSettingsWithACard(bool& added);
