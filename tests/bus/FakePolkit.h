#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tarnix::test {

// polkit on a private bus: dbusmock's polkitd template, which refuses every action until told
// to allow it.
class FakePolkit {
public:
    // Nothing when it cannot run; whyNot then says why.
    static std::unique_ptr<FakePolkit> Start(const QString& busAddress, QString& whyNot);
    ~FakePolkit();

    void SetAllowed(const QStringList& actions);
    // While hanging, CheckAuthorization answers nothing until the calls are released.
    void SimulateHang(bool hang);
    void ReleaseHangingCalls();
    // The CheckAuthorization calls received, one line each as dbusmock logs them.
    QStringList Questions() const;

private:
    FakePolkit() = default;
    void Control(const QString& method, const QVariant& argument = {});

    QProcess process_;
    QTemporaryDir folder_;
    QString address_;
    QString connectionName_;
};

} // namespace tarnix::test
