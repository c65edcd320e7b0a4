#include "systemerror.h"

#include <cstring>

QString systemError(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}
