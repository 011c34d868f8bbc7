#pragma once
// What the machine says about updating on its own right now: whether its network is metered (a
// download costs the user money), whether it saves power, and whether the install helper may run
// with administrator rights without asking anybody (an administrator's polkit rule). Automatic
// updates download only when the first two are false and install without a prompt only when the
// last is true.
namespace suite {

class UpdateConditions {
  public:
    virtual ~UpdateConditions() = default;
    virtual bool networkMetered() const = 0;
    virtual bool powerSaver() const = 0;
    // Asked of the system's authority without any dialog; false when it would ask, or cannot
    // be asked at all.
    virtual bool installsWithoutPassword() const = 0;
};

}  // namespace suite
