#include "translation.h"

#include <QtGlobal>

void InitSettingResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(language);
}
