#ifndef C3DVECTOR_H
#define C3DVECTOR_H

class C3dVector
{
public:
    virtual ~C3dVector();
};

#endif
