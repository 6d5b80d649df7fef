#include "C3dMatrix.h"

C3dMatrix::~C3dMatrix() = default;
