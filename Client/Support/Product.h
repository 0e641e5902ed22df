// The product's name (50 characters at most) and version, as every window, the mutex, the
// Explorer verb and the task names spell them. The logic that names things after the product
// includes this, not the application object.
#pragma once

const char* ProductName();
extern const char kVersionText[];
