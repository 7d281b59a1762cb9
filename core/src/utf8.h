#pragma once

// The UTF-8 check is public now that the file formats need it too.
#include "kavrano/core/utf8.h"
