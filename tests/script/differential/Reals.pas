unit Reals;

// Real arithmetic and the conversions between integers and reals.

interface

function Mixed: Real;
function Quotient: Real;
function IntegerQuotient: Real;
function Rounding: String;
function Truncation: String;
function Parts: String;
function Functions: String;
function SingleRounding: Boolean;
function Formatting: String;
function RealDivByZero: Real;
function RealOverflow: Real;
function RoundTooLarge: Int64;
function SqrtNegative: Real;
function IntegerIntoReal: Real;
function MinMax: String;

implementation

uses SysUtils, Math;

function Mixed: Real;
var I: Integer; X: Real;
begin
  I := 7;
  X := 1.5;
  Result := I + X * 2 - I / 4;
end;

function Quotient: Real;
begin
  Result := 1 / 3;
end;

function IntegerQuotient: Real;
var A, B: Integer;
begin
  A := 7;
  B := 2;
  Result := A / B + A div B;
end;

function Rounding: String;
begin
  Result := IntToStr(Round(0.5)) + ' ' + IntToStr(Round(1.5)) + ' ' + IntToStr(Round(2.5)) +
    ' ' + IntToStr(Round(-0.5)) + ' ' + IntToStr(Round(-1.5)) + ' ' + IntToStr(Round(2.5000001)) +
    ' ' + IntToStr(Round(-2.7));
end;

function Truncation: String;
begin
  Result := IntToStr(Trunc(2.9)) + ' ' + IntToStr(Trunc(-2.9)) + ' ' + IntToStr(Trunc(1e15));
end;

function Parts: String;
var X: Real;
begin
  X := -3.75;
  Result := FloatToStr(Int(X)) + ' ' + FloatToStr(Frac(X)) + ' ' + FloatToStr(Abs(X)) + ' ' +
    FloatToStr(Sqr(X));
end;

function Functions: String;
begin
  Result := FloatToStr(Sqrt(2)) + ' ' + FloatToStr(Exp(1)) + ' ' + FloatToStr(Ln(10)) + ' ' +
    FloatToStr(Sin(1)) + ' ' + FloatToStr(Cos(1)) + ' ' + FloatToStr(ArcTan(1)) + ' ' +
    FloatToStr(Power(2, 0.5)) + ' ' + FloatToStr(Pi);
end;

function SingleRounding: Boolean;
var S: Single; D: Real;
begin
  S := 0.1;
  D := 0.1;
  Result := (S <> D) and (Abs(S - D) < 1e-8);
end;

function Formatting: String;
begin
  Result := FloatToStr(1.5) + ' ' + FloatToStr(-0.25) + ' ' + FloatToStr(1e20) + ' ' +
    FloatToStr(123456789.125) + ' ' + FloatToStr(2 / 3) + ' ' + FloatToStr(0.001) + ' ' +
    FloatToStr(1e-10) + ' ' + FloatToStr(100);
end;

function RealDivByZero: Real;
var X, Y: Real;
begin
  X := 1;
  Y := 0;
  Result := X / Y;
end;

function RealOverflow: Real;
var X: Real;
begin
  X := 1e300;
  Result := X * X;
end;

function RoundTooLarge: Int64;
var X: Real;
begin
  X := 1e19;
  Result := Round(X);
end;

function SqrtNegative: Real;
var X: Real;
begin
  X := -1;
  Result := Sqrt(X);
end;

function IntegerIntoReal: Real;
var L: Int64;
begin
  L := 9007199254740993;
  Result := L;
end;

function MinMax: String;
var A: Integer; X: Real;
begin
  A := -4;
  X := 2.5;
  Result := IntToStr(Min(A, 3)) + ' ' + IntToStr(Max(A, 3)) + ' ' + FloatToStr(Min(X, 1.5)) +
    ' ' + FloatToStr(Max(X, 1.5));
end;

end.
