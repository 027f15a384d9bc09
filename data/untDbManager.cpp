#include "data/untDbManager.h"
