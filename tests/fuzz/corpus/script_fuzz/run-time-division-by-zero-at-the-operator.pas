unit proverka;
function tra(A: Integer): Integer;
begin
  Result := A div (A - A);
end;
function F(A, B: Integer): Integer; begin Result := tra(A); end; end.