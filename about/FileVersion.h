#pragma once

#include <QString>

// Version of this program, four numbers joined by ".".
QString CorvaneVersionText();

// Version of the file at `path` as text, or empty text when it carries none: the running
// executable reports the program's version, a shared library the numbers after ".so." in its
// resolved file name ("libQt6Core.so.6.4.2" -> "6.4.2").
QString FileVersionText(const QString& path);
