#include "data/untDemoData.h"
