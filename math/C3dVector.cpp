#include "C3dVector.h"

C3dVector::~C3dVector() = default;
