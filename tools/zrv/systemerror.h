#pragma once

#include <QString>
#include <cerrno>

// The system's text for an error number ("No space left on device"), never "Unknown error".
QString systemError(int error = errno);
