#pragma once

class QApplication;

namespace vexa {

// Reusable application frame: main() drives it in a fixed order
// (initialize, Qt application, start, event loop); a program fills in the
// two hooks.
class Application
{
public:
    Application();
    virtual ~Application();

    // Runs before the Qt application object exists. A derived class may
    // create the Qt application itself here; the base then leaves it alone.
    virtual void initialize(int& argc, char** argv);

    // Runs once after the Qt application exists. 0 enters the event loop;
    // any other value is returned from main() at once.
    virtual int start() = 0;

    QApplication* qApplication() const { return qtApp; }
    // Takes the Qt application object; it is never deleted by the frame.
    void setQApplication(QApplication* app) { qtApp = app; }

private:
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    QApplication* qtApp = nullptr;
};

// The program's one application object, created during static
// initialisation by the program itself.
extern Application* application;

} // namespace vexa

