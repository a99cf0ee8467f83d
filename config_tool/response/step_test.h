// The step disturbance test behind the Test button: the drive injects a torque step on the
// shown axis while it holds position, records the scope, and computes its figures itself.
#pragma once

class StepTestFrontEnd;

void runStepTest(StepTestFrontEnd& frontEnd);
