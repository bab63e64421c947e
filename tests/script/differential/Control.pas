unit Control;

// Loops, case, break, continue and exit.

interface

function ForUp: Integer;
function ForDown: String;
function ForEmpty: Integer;
function ForBoundsOnce: Integer;
function WhileLoop: Integer;
function RepeatLoop: Integer;
function BreakContinue: String;
function NestedBreak: Integer;
function CaseBranches: String;
function ExitEarly: Integer;
function Collatz: Integer;

implementation

uses SysUtils;

function ForUp: Integer;
var I: Integer;
begin
  Result := 0;
  for I := 1 to 10 do
    Result := Result + I;
end;

function ForDown: String;
var I: Integer;
begin
  Result := '';
  for I := 3 downto -2 do
    Result := Result + IntToStr(I);
end;

function ForEmpty: Integer;
var I: Integer;
begin
  Result := 0;
  for I := 5 to 4 do
    Inc(Result);
  for I := 4 downto 5 do
    Inc(Result);
end;

function ForBoundsOnce: Integer;
var I, N: Integer;
begin
  N := 3;
  Result := 0;
  for I := 1 to N do
  begin
    N := N + 10;
    Inc(Result);
  end;
  Result := Result * 100 + N;
end;

function WhileLoop: Integer;
var N: Integer;
begin
  N := 1;
  Result := 0;
  while N < 1000 do
  begin
    N := N * 3;
    Inc(Result);
  end;
  Result := Result * 10000 + N;
end;

function RepeatLoop: Integer;
var N: Integer;
begin
  N := 100;
  Result := 0;
  repeat
    N := N div 2;
    Inc(Result, N);
  until N <= 1;
end;

function BreakContinue: String;
var I: Integer;
begin
  Result := '';
  for I := 1 to 20 do
  begin
    if I mod 3 = 0 then
      Continue;
    if I > 10 then
      Break;
    Result := Result + IntToStr(I);
  end;
end;

function NestedBreak: Integer;
var I, J: Integer;
begin
  Result := 0;
  for I := 1 to 5 do
  begin
    J := 0;
    while True do
    begin
      Inc(J);
      if J > I then
        Break;
      Inc(Result);
    end;
  end;
end;

function Classify(N: Integer): String;
begin
  case N of
    0: Result := 'zero';
    1, 3, 5, 7, 9: Result := 'odd';
    2, 4, 6, 8: Result := 'even';
    -10..-1: Result := 'negative';
  else
    Result := 'other';
  end;
end;

function CaseBranches: String;
var I: Integer;
begin
  Result := '';
  for I := -11 to 11 do
    Result := Result + Classify(I) + ' ';
end;

function ExitEarly: Integer;
var I: Integer;
begin
  Result := -1;
  for I := 1 to 100 do
    if I * I > 50 then
    begin
      Result := I;
      Exit;
    end;
  Result := 0;
end;

function Collatz: Integer;
var N: Int64;
begin
  N := 27;
  Result := 0;
  while N <> 1 do
  begin
    if N mod 2 = 0 then
      N := N div 2
    else
      N := 3 * N + 1;
    Inc(Result);
  end;
end;

end.
