#include "translation.h"

#include <QtGlobal>

void InitFWUpdateResources()
{
    Q_INIT_RESOURCE(fwupdate);
    Q_INIT_RESOURCE(fwlanguage);
}
