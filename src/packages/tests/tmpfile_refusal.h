#pragma once
// The file system as one without unnamed temporary files (O_TMPFILE) shows it: such an open() fails with the
// errno given. Every other open() of the test program passes through unchanged.
namespace velm::test {

// 0 lets O_TMPFILE through again.
void refuseTmpfile(int error);

} // namespace velm::test
