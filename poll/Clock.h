#pragma once

#include <QDateTime>
#include <functional>

// The one source of the current time, so tests can fix it.
namespace Clock {
QDateTime Now();
// Replaces the time source; an empty function restores the system clock.
void SetSource(std::function<QDateTime()> source);
}  // namespace Clock
