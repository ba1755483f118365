#pragma once

// Registers the one live object of type T so that any part of the program
// can reach it: set by the object's constructor, reset by its destructor.
template <typename T> class Singleton {
public:
    static T* instance() { return s_instance; }

protected:
    Singleton() { s_instance = static_cast<T*>(this); }
    virtual ~Singleton()
    {
        if (s_instance == static_cast<T*>(this))
            s_instance = nullptr;
    }

    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

private:
    static inline T* s_instance = nullptr;
};
