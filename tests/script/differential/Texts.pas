unit Texts;

// Strings: concatenation, the string built-ins and conversions.

interface

function Concatenation: String;
function Lengths: Integer;
function Copies: String;
function Positions: String;
function Cases: String;
function Trimming: String;
function Numbers: String;
function BadInteger: Integer;
function BadReal: Real;
function BuiltInLoop: String;
function Quotes: String;

implementation

uses SysUtils;

function Concatenation: String;
var S: String;
begin
  S := 'ab';
  S := S + S + 'c';
  Result := S + '-' + S;
end;

function Lengths: Integer;
var S: String;
begin
  S := 'hello world';
  Result := Length(S) * 100 + Length('') * 10 + Length(S + S);
end;

function Copies: String;
var S: String;
begin
  S := 'abcdef';
  Result := Copy(S, 2, 3) + '|' + Copy(S, 0, 2) + '|' + Copy(S, 5, 10) + '|' + Copy(S, 7, 1) +
    '|' + Copy(S, 3, -1) + '|' + Copy(S, 1, 6);
end;

function Positions: String;
var S: String;
begin
  S := 'banana';
  Result := IntToStr(Pos('an', S)) + ' ' + IntToStr(Pos('x', S)) + ' ' + IntToStr(Pos('', S)) +
    ' ' + IntToStr(Pos('banana!', S)) + ' ' + IntToStr(Pos('a', S));
end;

function Cases: String;
begin
  Result := UpperCase('Mixed Case 12') + LowerCase(' AND Back');
end;

function Trimming: String;
begin
  Result := '[' + Trim('  a  b  ') + '][' + Trim('') + '][' + Trim(#9'x'#9) + ']';
end;

function Numbers: String;
begin
  Result := IntToStr(StrToInt('42') + StrToInt(' -7') + StrToInt('$1F')) + ' ' +
    FloatToStr(StrToFloat('2.5') * 2) + ' ' + IntToStr(-2147483647 - 1);
end;

function BadInteger: Integer;
begin
  Result := StrToInt('12a');
end;

function BadReal: Real;
begin
  Result := StrToFloat('x1');
end;

function BuiltInLoop: String;
var I: Integer;
begin
  Result := '';
  for I := 1 to 5 do
    Result := Result + IntToStr(I * I) + ',';
  Result := Copy(Result, 1, Length(Result) - 1);
end;

function Quotes: String;
begin
  Result := 'it''s' + #65#66 + '''';
end;

end.
