#pragma once

#include "ovratranslation.h"

// Registers the compiled-in pictures and catalogues (they live in a static library).
void InitSettingResources();
