#pragma once

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class Tform6;
class TForm7;

namespace kve {

// The seven windows of the program, created once in this order and living until its end.
struct ProgramWindows {
    ProgramWindows();
    ~ProgramWindows();

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<Tform6> form6;
    std::unique_ptr<TForm7> form7;
};

} // namespace kve
