#pragma once

#include <QIcon>
#include <QPixmap>

// The product icon drawn at `size` x `size` pixels: a dial with its needle over a small graph.
QPixmap CorvaneIconPixmap(int size);

// The product icon at 16, 32 and 48 pixels.
QIcon CorvaneIcon();
