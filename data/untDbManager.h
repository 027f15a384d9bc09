#pragma once
#include "data/DbExport.h"
