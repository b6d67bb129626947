#include "trayoptions.h"

#include <QString>

bool CheckIsHide(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]).compare("-hide", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
