// The random generator behind the program's random choices (interval
// offset, random host, next host when none is selected): the runtime
// library's, seeded once. Tests install one of their own to choose.
#pragma once

class IRandom {
public:
    virtual ~IRandom() = default;
    virtual void Seed(unsigned nSeed) = 0;
    virtual int Next() = 0;  // 0 .. RAND_MAX
};

IRandom& Random();
// Installs pRandom (null restores the runtime library's generator).
void SetRandom(IRandom* pRandom);
