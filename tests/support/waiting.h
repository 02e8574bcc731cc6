#pragma once

#include <functional>

// Runs the event loop until pred() holds or ms pass; returns pred().
bool waitFor(const std::function<bool()> &pred, int ms);
