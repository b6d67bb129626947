#include "translation.h"

#include <QtGlobal>

void InitTrayResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(language);
}
