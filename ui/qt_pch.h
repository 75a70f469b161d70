// The Qt headers nearly every window, dialog and test of the editor includes, compiled once.
#pragma once

#include <QtCore>
#include <QtGui>
#include <QtWidgets>
