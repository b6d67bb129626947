#pragma once

#include "ovratranslation.h"

// Registers the compiled-in icon and catalogues (they live in a static library).
void InitTrayResources();
