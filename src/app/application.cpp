#include "app/application.h"

namespace vexa {

Application::Application() = default;

Application::~Application() = default;

void Application::initialize(int& /*argc*/, char** /*argv*/)
{
}

} // namespace vexa
