#pragma once

#include "ovratranslation.h"

// Registers the compiled-in logo and catalogues (they live in a static library).
void InitFWUpdateResources();
