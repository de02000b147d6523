#pragma once

#include <map>
#include <string>

// The constants by name, once as the vendor headers define them and once as our driver
// classes carry them. The two sides live in separate files because the vendor macros
// share their names with the class members.
using ConstantTable = std::map<std::string, std::string>;

ConstantTable vendorCanusbConstants();
ConstantTable ourCanusbConstants();
ConstantTable vendorIfcanConstants();
ConstantTable ourIfcanConstants();
