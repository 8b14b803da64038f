// effects/font.cpp - the outline font. Until the font is built there is nothing to delete.
#include "effects/font.h"

void DeleteFont() {}
