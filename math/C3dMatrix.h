#ifndef C3DMATRIX_H
#define C3DMATRIX_H

class C3dMatrix
{
public:
    virtual ~C3dMatrix();
};

#endif
