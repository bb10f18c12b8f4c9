#include "apps/print_document.h"
