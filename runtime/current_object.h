// The one object of a kind that is current for the whole program.
//
// The state of a run has to be reachable from the plain functions of the system function table
// and of NotifyRuntime, which take no context argument. A state type derives from CurrentObject
// and is current from the start of its construction to the end of its destruction (so that its
// own members still reach it as they go); an object made while another of its kind is current
// stands in for that one until it goes. Reaching the current object is one pointer load.
#pragma once

namespace kesu {

template <class T>
class CurrentObject {
  public:
    // The current object; one must exist.
    static T& Get() { return *static_cast<T*>(current_); }

    CurrentObject(const CurrentObject&) = delete;
    CurrentObject& operator=(const CurrentObject&) = delete;

  protected:
    CurrentObject() : previous_(current_) { current_ = this; }
    ~CurrentObject() { current_ = previous_; }

  private:
    inline static CurrentObject* current_ = nullptr;
    CurrentObject* previous_;
};

}  // namespace kesu
