unit proverka;
function NewState(State: Integer): Integer;
begin
  Result := pHH;
end;
end.