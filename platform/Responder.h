#pragma once

// The one instance of a service that answers in place of a person (the
// message box, the choosers): the real one unless a test installed another.
template<class Service> class Responder {
public:
    constexpr explicit Responder(Service& real)
        : real_(&real)
        , current_(&real)
    {
    }

    Service& current() const { return *current_; }

    // Installs `other` (not owned) and returns the previous one; nullptr
    // restores the real one.
    Service* Install(Service* other)
    {
        Service* previous = current_;
        current_ = other != nullptr ? other : real_;
        return previous;
    }

private:
    Service* real_;
    Service* current_;
};
