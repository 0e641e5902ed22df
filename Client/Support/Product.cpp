#include "Product.h"

namespace {

const char kProductName[50] = "Bellwort Registry Reriraz";

} // namespace

const char kVersionText[] = "1.0.0001";

const char* ProductName()
{
    return kProductName;
}
