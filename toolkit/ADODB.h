#pragma once
// Database access objects over Qt SQL: connection, dataset (query) and command.
#include "toolkit/ADOCommand.h"
#include "toolkit/ADOConnection.h"
#include "toolkit/ADODataset.h"
