#pragma once

#include <QIcon>

// The action images: 0 About, 1 Exit, 2 web site, 3 Help, 4 Disconnect, 5 Connect, 6 Options.
QIcon ActionIcon(int index);
